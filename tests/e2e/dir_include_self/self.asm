
.include ("self.asm")
