// Builds the stb_image reader, an independent BMP and PNG decoder used to check the files Tilora writes.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
