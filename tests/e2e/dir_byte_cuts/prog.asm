.byte -1
.byte 300
.half 0x12345
.string "\xe9"
