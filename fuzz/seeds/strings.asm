; strings with every escape, a continued line and a numeric escape above 255
        .string "\a\b\f\n\r\t\v\\\"\101\x41\x\q"
        .string "first \
second"
        .string "\777"
        .string ""
        .blockb 3
        .align  4
        .end    1
