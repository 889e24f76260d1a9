// The runner executable: the runner's entry with the embedded game linked in.
#include "app/HalvaneM.h"

int main(int argc, char** argv) {
    return Runner_Main(argc, argv);
}
