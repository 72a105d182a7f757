#!/usr/bin/python3
"""Builds the demonstration's Mission Pack.

demo_pack.py PACK DATABASE REPORTS ARCHIVE PRICES
"""
import io
import sys
import zipfile


def ini(section, keys):
    lines = ["[%s]" % section] + ["%s=%s" % kv for kv in keys]
    return ("\r\n".join(lines) + "\r\n").encode()


def main():
    pack, database, reports, archive, prices = sys.argv[1:6]
    price_list = io.BytesIO()
    with zipfile.ZipFile(price_list, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("pricelist.txt", "SKU\tPrice\r\n1001\t2.49\r\n1002\t0.99\r\n1003\t12.00\r\n")

    with zipfile.ZipFile(pack, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("orders.ini", ini("Mission", [
            ("Type", "getdata"), ("MDBName", database), ("TableName", "Orders"),
            ("UseTargetStartDate", "True"), ("StartDateFieldName", "OrderDate"),
            ("StartDate", "1/1/1995"),
            ("UseTargetEndDate", "True"), ("EndDateFieldName", "OrderDate"),
            ("EndDate", "12/31/1995"),
            ("DataFields", "OrderID,CustomerID,OrderDate,Freight,ShipCity"),
            ("DataFormat", "n,s,d,n,s")]))
        z.writestr("orders.tsd", ini("TSD", [("DataTypes", "n,s,d,n,s")]))
        z.writestr("products.ini", ini("Mission", [
            ("Type", "GetData"), ("MDBName", database), ("TableName", "Products"),
            ("DataFields", "ProductID,ProductName,UnitPrice,Discontinued"),
            ("DataFormat", "n,s,n,b")]))
        z.writestr("products.tsd", ini("TSD", [("DataTypes", "n,s,n,b")]))
        z.writestr("reports.ini", ini("Mission", [
            ("Type", "getfile"), ("TargetFiles", reports + "/*.txt"),
            ("ArchiveAfterGet", "True"), ("ArchivePath", archive)]))
        z.writestr("prices.ini", ini("Mission", [
            ("Type", "sendfile"), ("DestinationPath", prices)]))
        z.writestr("prices.zip", price_list.getvalue())


if __name__ == "__main__":
    main()
