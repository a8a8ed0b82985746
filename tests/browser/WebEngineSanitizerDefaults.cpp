// Sanitizer defaults for test programs that run the web engine. The engine's
// library is built without the sanitizers: its sized deletes do not match
// what the instrumented operator new recorded, and it leaves objects (and
// udev's) behind on purpose at exit. Neither says anything about our code;
// everything else is still checked. Options given in the environment win.

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore.so\n"
           "leak:libudev.so\n";
}
#endif
