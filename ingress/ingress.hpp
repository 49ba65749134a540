#pragma once
// Everything a user of the ingestion client needs.

#include "ingress/column_value.hpp"
#include "ingress/conf.hpp"
#include "ingress/errors.hpp"
#include "ingress/names.hpp"
#include "ingress/sender.hpp"
#include "ingress/timestamp.hpp"
