-- Array passes: 50,000 passes over 1,000 ints, each writing then summing them;
-- prints the sum of the last pass.
local values = {}
local sum
for pass = 0, 50000 - 1 do
  sum = 0
  for k = 0, 1000 - 1 do
    values[k + 1] = k + pass
  end
  for k = 0, 1000 - 1 do
    sum = sum + values[k + 1]
  end
end
print(sum)
