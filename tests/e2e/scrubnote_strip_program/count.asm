; count.asm: counts $1 down from ten
        .text                   ; code section
start:  li      $1, 10          ; counter

loop:   addi    $1, $1, -1      ; one less
        bne     $1, $0, loop
        .data
msg:    .string  "done; stop"    ; a ";" in a string cuts too
        .end
