// zefrin: passage of a fast charged particle through a layer of material.
#include "dialogue/dialogue.hpp"

int main() { zefrin::session(); }
