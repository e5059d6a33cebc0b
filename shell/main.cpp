// The quorvalis program.
#include <cstdio>

int main()
{
    std::puts("QUORVALIS");
    return 0;
}
