nop
.end main
