# a comment line

first:
$Second:   ; another comment
THIRD: // and another
.globl main
.frame $sp,24,$31
gcc2_compiled.:

