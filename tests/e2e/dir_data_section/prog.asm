nop
.data 0x100
.word 7
.text
nop
.data
.byte 9
