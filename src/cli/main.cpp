#include <iostream>

int main() {
  std::cerr << "povezava-cli: no commands yet\n";
  return 2;
}
