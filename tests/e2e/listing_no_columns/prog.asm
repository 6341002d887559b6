
nop

add $1, $2, $3
# comment
