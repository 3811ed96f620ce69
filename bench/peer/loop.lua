-- Integer loop: 100,000,000 iterations of an add and a bitwise and.
local sum = 0
for i = 0, 100000000 - 1 do
  sum = sum + (i & 7)
end
print(sum)
