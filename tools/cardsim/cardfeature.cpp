#include "cardfeature.h"

QVector<FeatureDescriptor>& FeatureRegistry::all()
{
    static QVector<FeatureDescriptor> features;
    return features;
}
