.equ 5
