#include "context/vconfigs.h"

VConfigs::VConfigs(QObject *parent) : QObject(parent) {}

VConfigs *VConfigs::instance()
{
    static VConfigs self;
    return &self;
}
