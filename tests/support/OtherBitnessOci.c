/* OtherBitnessOci.c: a client library (OCI.DLL, libclntsh.so) built for another architecture
   than the tests, so that a test can put a client the program cannot load on its search path.
   It exports one entry point; it is never loaded. */
#ifdef _WIN32
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    int OCIInitialize(unsigned mode, void* ctxp, void* m, void* r, void* f)
{
    return -2;
}
