-- Array passes: 5,000 passes over 1,000 ints, each writing then summing them;
-- prints the sum of the last pass.
local values = {}
local sum
local pass = 0
while pass < 5000 do
  sum = 0
  local k = 0
  while k < 1000 do
    values[k + 1] = k + pass
    k = k + 1
  end
  k = 0
  while k < 1000 do
    sum = sum + values[k + 1]
    k = k + 1
  end
  pass = pass + 1
end
print(sum)
