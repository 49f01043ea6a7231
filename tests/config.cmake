# Test programs of this area (kalvorin_test calls).
