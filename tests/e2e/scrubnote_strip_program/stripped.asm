; stripped sources, newest last
