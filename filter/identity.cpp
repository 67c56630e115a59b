#include "identity.h"

const char productName[IDENTITY_TEXT_SIZE] = DEEPGLASS_PRODUCT_NAME;
const char authorText[IDENTITY_TEXT_SIZE] = DEEPGLASS_AUTHOR;
const char rightsText[IDENTITY_TEXT_SIZE] = DEEPGLASS_RIGHTS;
