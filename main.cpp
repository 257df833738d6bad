// zefrin: passage of a fast charged particle through a layer of material.
#include "session/dialogue.hpp"

int main() { zefrin::session(); }
