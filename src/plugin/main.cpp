// Stand-in until the plug-in entry is written.
int main() { return 0; }
