
label:
.word 0x3C021234
.half 0x1234
.byte 65
.string "abc"
.string "abcdefgh"
mul $1, $2
li $2, 5
