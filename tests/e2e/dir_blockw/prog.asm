.blockw 3
.word 1
.blockh 1
.blockb 1
.byte 2
