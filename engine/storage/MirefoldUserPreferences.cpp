#include "engine/storage/MirefoldUserPreferences.h"

MirefoldUserPreferences& MirefoldUserPreferences::sharedInstance()
{
    static MirefoldUserPreferences instance;
    return instance;
}
