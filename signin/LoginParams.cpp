#include "signin/LoginParams.h"

LoginParams g_loginParams;
