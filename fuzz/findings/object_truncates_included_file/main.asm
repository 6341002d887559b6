start:  nop
        .include ("a.inc")
        j       start
