#include "common/Passage.h"

#include <iostream>

void Passage::Print() const {
  std::cout << "passage: " << id << " terminals: " << origin << " -> " << destination
            << " time: " << departure << " -> " << arrival << std::endl;
}
