start: j nowhere
beq $1, $2, Missing
nop
