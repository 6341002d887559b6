nop
.include ("missing.asm")
nop
