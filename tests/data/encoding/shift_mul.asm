; Shift, rotate, multiply, HI/LO and system instructions. Format as in arith.asm: expected words
; after '#', '/' between the words of one line, optional "@ADDRESS" for the first record.
; Registers 3, 1, 2 are rd, rs1, rs2; the immediate shift amount is 5.

; Shifts by a register (the variable shift: rs = amount, rt = value) or by an immediate.
        sll   $3, $1, $2      # @00000000 00 41 18 04
        sll   $3, $1, 5       # 00 01 19 40
        sra   $3, $1, $2      # 00 41 18 07
        sra   $3, $1, 5       # 00 01 19 43
        srl   $3, $1, $2      # 00 41 18 06
        srl   $3, $1, 5       # 00 01 19 42
        sll   $3, $1, (# 2) + 3    # 00 01 19 40
        srl   $3, $1, (# 40) - 35  # 00 01 19 42

; The amount is cut to its low five bits without a message.
        sll   $3, $1, 37      # 00 01 19 40
        sra   $3, $1, -1      # 00 01 1F C3
        srl   $3, $1, 32      # 00 01 18 02
        sll   $31, $31, 31    # 00 1F FF C0
        nop                   # @00000030 00 00 00 00

; Register-only shifts and rotates; the rotates put rs1 in rs and rs2 in rt.
        sllv  $3, $1, $2      # 00 41 18 04
        srav  $3, $1, $2      # 00 41 18 07
        srlv  $3, $1, $2      # 00 41 18 06
        rol   $3, $1, $2      # 00 22 18 35
        ror   $3, $1, $2      # 00 22 18 34

; Multiply, and multiply then move from LO: into rs1 with two registers, into rd with three.
        mult  $1, $2          # 00 22 00 18
        multu $1, $2          # 00 22 00 19
        mul   $1, $2          # 00 22 00 18 / 00 00 08 12
        mul   $3, $1, $2      # 00 22 00 18 / 00 00 18 12
        mulo  $1, $2          # 00 22 00 18 / 00 00 08 12
        mulo  $3, $1, $2      # 00 22 00 18 / 00 00 18 12
        mulou $1, $2          # 00 22 00 19 / 00 00 08 12
        mulou $3, $1, $2      # 00 22 00 19 / 00 00 18 12
        mul   $31, $sp, $fp   # 03 BE 00 18 / 00 00 F8 12
        nop                   # @00000088 00 00 00 00

; Moves to and from HI and LO.
        mfhi  $3              # 00 00 18 10
        mflo  $3              # 00 00 18 12
        mthi  $1              # 00 20 00 11
        mtlo  $1              # 00 20 00 13
        mflo  $31             # 00 00 F8 12
        mthi  $31             # 03 E0 00 11

; No operands: rfe has opcode 16, rs field 16 and function 32.
        nop                   # 00 00 00 00
        rfe                   # 42 00 00 20
