
nop
