.include ("inc.asm")
nop
