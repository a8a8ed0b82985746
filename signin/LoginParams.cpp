#include "LoginParams.h"

LoginParams g_loginParams;
