// A Tandrel_Parameters instance created through its factory and initialised against the fake host,
// which answers every set request with UpdateParameterNormalizedValue as a real host does.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AAX_CString.h"
#include "Libs/test_model_fake_host.h"
#include "Tandrel_Parameters.h"

class TandrelModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        AAX_IEffectParameters* created = Tandrel_Parameters::Create();
        model = static_cast<Tandrel_Parameters*>(created);
        model->AddRef();
        host.automation.answerSetRequestsWith = model;
        ASSERT_EQ(model->Initialize(&host), AAX_SUCCESS);
        host.automation.events.clear();
    }
    void TearDown() override {
        model->Uninitialize();
        EXPECT_EQ(host.OutstandingReferences(), 0);
        model->Release();
    }

    // An edit as the editor makes it: a set request that the host answers with an update.
    void Edit(const char* id, double value) { ASSERT_EQ(model->SetParameterNormalizedValue(id, value), AAX_SUCCESS); }

    double Value(const char* id) {
        double value = -1.0;
        EXPECT_EQ(model->GetParameterNormalizedValue(id, &value), AAX_SUCCESS);
        return value;
    }

    std::vector<AAX_CFieldIndex> PostedFields() const {
        std::vector<AAX_CFieldIndex> fields;
        for (const auto& post : host.controller.posts) fields.push_back(post.field);
        return fields;
    }

    fakehost::Host host;
    Tandrel_Parameters* model = nullptr;
};

using fakehost::FloatPacket;
using fakehost::IntPacket;
