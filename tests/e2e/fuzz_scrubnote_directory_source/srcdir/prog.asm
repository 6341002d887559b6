nop ; inside a folder, never read
