-- Integer loop: 10,000,000 iterations of an add and a bitwise and.
local sum = 0
local i = 0
while i < 10000000 do
  sum = sum + (i & 7)
  i = i + 1
end
print(sum)
