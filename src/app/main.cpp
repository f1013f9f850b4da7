#include "app/driver.h"

int main() {
    return vorlan::app::run_installer();
}
