// Filled in with the catalogue.
int main() { return 0; }
