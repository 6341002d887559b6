.word 1 / 0
.word (# 5) / 0
