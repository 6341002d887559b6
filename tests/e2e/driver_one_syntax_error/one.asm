start:
5 nop
end:
