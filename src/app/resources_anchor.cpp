// Holds the compiled-in button images (see CMakeLists.txt).
