// The dialect adapter lands with the regular-expression mode.
