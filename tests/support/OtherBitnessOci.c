/* OtherBitnessOci.c: an OCI.DLL built for the other bitness than the tests, so that a test can
   put a client the program cannot load on its search path. It exports one entry point; it is
   never loaded. */
__declspec(dllexport) int OCIInitialize(unsigned mode, void* ctxp, void* m, void* r, void* f)
{
    return -2;
}
