start: nop
.include ("a.inc")
after: j start
