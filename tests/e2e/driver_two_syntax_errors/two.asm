nop
add $1, $2 $3
nop
