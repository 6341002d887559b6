.include "a.asm"
nop
nop
