// A shared library that is no Qt plug-in.
extern "C" int fixtureAnswer()
{
    return 42;
}
