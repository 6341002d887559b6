move $1, x
add $t0, $1, $2
