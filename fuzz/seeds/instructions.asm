# one line of every operand shape
start:  add     $1, $2, $3
        sub     $1, $2, 7
        move    $1, $2
        not     $3, $4
        li      $5, 0xDEADBEEF
        mul     $6, $7
        mulou   $6, $7, $8
        sllv    $1, $2, $3
        rol     $1, $2, $3
        mfhi    $9
        mtlo    $10
        nop
        rfe
        bgeu    $1, $2, start
        bnez    $3, start
        j       $31
        b       start
        jal     start
        jalr    $4, $31
        lw      $1, 8($sp)
        sb      $2, 0x10
        .text   0x400
        .ent    main
gcc2_compiled.:
