start: nop
	add $3, $1, $2
