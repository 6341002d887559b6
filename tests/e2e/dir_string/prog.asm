.string "ab"
.string ""
.string "more than eight"
.string "tab\tA\x41\101\q"
