int __declspec(dllexport) Tiny(void) { return 1; }
