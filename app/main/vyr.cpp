#include "app/vyr_startup.h"

int main(int argc, char **argv)
{
    return vyr_main(argc, argv);
}
