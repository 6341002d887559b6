x: add $1, $2, 3 # sum
