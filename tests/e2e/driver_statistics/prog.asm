start: nop
loop: j loop
end: nop
