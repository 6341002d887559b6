; stripped sources, newest last

        .text                   
start:  li      $1, 10          

loop:   addi    $1, $1, -1      
        bne     $1, $0, loop
        .data
msg:    .string  "done
        .end
